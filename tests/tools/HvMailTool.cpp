// Test tool: sends one mail with TmMailer as a job file of UTF-8 "key=value" lines describes it.
//   HvMailTool <job file>
// Keys: host, port, user, password, secure (0..3), tlsdir (folder of the TLS client files),
// verify (0/1), from, fromname, to, cc, bcc, subject, body (one line each), html (one line each),
// content (ascii|html|utf8), attach (one each), header (Name: value), continue (0/1), log,
// readtimeout, deadline (of one command), helo, keypassword, save (build into this file instead of sending).
// Prints one line per error ("<type>\t<message>") and exits 0 when sent, 1 when not, 2 on bad use.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "base/text/StringUtils.h"
#include "unattended/mMailer10.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  std::ifstream in{std::filesystem::path(argv[1]), std::ios::binary};
  if (!in) return 2;
  std::wstring tlsDir, keyPassword = L"KestrelMeadows";
  std::vector<std::pair<std::wstring, std::wstring>> keys;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    keys.emplace_back(hv::Utf8ToWide(line.substr(0, eq)), hv::Utf8ToWide(line.substr(eq + 1)));
    if (keys.back().first == L"tlsdir") tlsDir = keys.back().second;
    if (keys.back().first == L"keypassword") keyPassword = keys.back().second;
  }
  hv::TmMailer mailer(tlsDir, tlsDir.empty() ? L"" : L"harvaneroot.pem", L"harvane.crt", L"harvane.key",
                      keyPassword);
  std::wstring save;
  for (const auto& [k, v] : keys) {
    if (k == L"host") mailer.Host = v;
    else if (k == L"port") mailer.Port = _wtoi(v.c_str());
    else if (k == L"user") mailer.UserId = v;
    else if (k == L"password") mailer.Password = v;
    else if (k == L"secure") mailer.SetSecureTransfer(static_cast<hv::TSecTransfer>(_wtoi(v.c_str())));
    else if (k == L"verify") mailer.VerifyCertificate = v != L"0";
    else if (k == L"from") mailer.From.Address = v;
    else if (k == L"fromname") mailer.From.Name = v;
    else if (k == L"to") mailer.SetRecipients(v);
    else if (k == L"cc") mailer.CCList = hv::ParseAddressList(v);
    else if (k == L"bcc") mailer.BCCList = hv::ParseAddressList(v);
    else if (k == L"subject") mailer.Subject = v;
    else if (k == L"body") mailer.AddToBody(v);
    else if (k == L"html") mailer.HTMLBody.push_back(v);
    else if (k == L"content") mailer.ContentType = v == L"html" ? hv::TContentType::ctHtml
                                                   : v == L"utf8" ? hv::TContentType::ctUtf8
                                                                  : hv::TContentType::ctAscii;
    else if (k == L"attach") mailer.Attachments.AttachedFiles.push_back(v);
    else if (k == L"header") {
      size_t colon = v.find(L':');
      mailer.AddExtraHeader(v.substr(0, colon), colon == std::wstring::npos ? L"" : v.substr(colon + 1 + (v.size() > colon + 1 && v[colon + 1] == L' ')));
    }
    else if (k == L"continue") mailer.ContinueOnFailedRecipient = v == L"1";
    else if (k == L"log") { mailer.Logname = v; mailer.WriteLogFile = true; }
    else if (k == L"readtimeout") mailer.ReadTimeout = mailer.ConnectTimeout = static_cast<uint32_t>(_wtoi(v.c_str()));
    else if (k == L"deadline") mailer.CommandTimeout = static_cast<uint32_t>(_wtoi(v.c_str()));
    else if (k == L"helo") mailer.HeloName = v;
    else if (k == L"save") save = v;
  }
  if (!save.empty()) return mailer.SaveToFile(save) ? 0 : 1;
  bool ok = mailer.Send();
  std::string out;
  for (const hv::TSendError& e : mailer.ErrorList())
    out += std::to_string(static_cast<int>(e.ErrType)) + "\t" + hv::WideToUtf8(e.ErrMsg) + "\n";
  fwrite(out.data(), 1, out.size(), stdout);
  fflush(stdout);
  return ok ? 0 : 1;
}
