#pragma once
// The Task Scheduler 2.0 interfaces that MinGW's taskschd.h does not declare: the trigger kinds
// beyond time and daily triggers. Layouts and identifiers as documented for the platform.
#include <windows.h>
#include <oleauto.h>
#include <taskschd.h>

struct ITaskNamedValueCollection;

MIDL_INTERFACE("5038fc98-82ff-436d-8728-a512a57c9dc1")
IWeeklyTrigger : public ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_DaysOfWeek(short* days) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DaysOfWeek(short days) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_WeeksInterval(short* weeks) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_WeeksInterval(short weeks) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RandomDelay(BSTR* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_RandomDelay(BSTR delay) = 0;
};
__CRT_UUID_DECL(IWeeklyTrigger, 0x5038fc98, 0x82ff, 0x436d, 0x87, 0x28, 0xa5, 0x12, 0xa5, 0x7c, 0x9d, 0xc1)

MIDL_INTERFACE("97c45ef1-6b02-4a1a-9c0e-1ebfba1500ac")
IMonthlyTrigger : public ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_DaysOfMonth(long* days) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DaysOfMonth(long days) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MonthsOfYear(short* months) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_MonthsOfYear(short months) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RunOnLastDayOfMonth(VARIANT_BOOL* last) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_RunOnLastDayOfMonth(VARIANT_BOOL last) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RandomDelay(BSTR* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_RandomDelay(BSTR delay) = 0;
};
__CRT_UUID_DECL(IMonthlyTrigger, 0x97c45ef1, 0x6b02, 0x4a1a, 0x9c, 0x0e, 0x1e, 0xbf, 0xba, 0x15, 0x00, 0xac)

MIDL_INTERFACE("77d025a3-90fa-43aa-b52e-cda5499b946a")
IMonthlyDOWTrigger : public ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_DaysOfWeek(short* days) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DaysOfWeek(short days) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_WeeksOfMonth(short* weeks) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_WeeksOfMonth(short weeks) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MonthsOfYear(short* months) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_MonthsOfYear(short months) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RunOnLastWeekOfMonth(VARIANT_BOOL* last) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_RunOnLastWeekOfMonth(VARIANT_BOOL last) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RandomDelay(BSTR* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_RandomDelay(BSTR delay) = 0;
};
__CRT_UUID_DECL(IMonthlyDOWTrigger, 0x77d025a3, 0x90fa, 0x43aa, 0xb5, 0x2e, 0xcd, 0xa5, 0x49, 0x9b, 0x94, 0x6a)

MIDL_INTERFACE("72dade38-fae4-4b3e-baf4-5d009af02b1c")
ILogonTrigger : public ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_Delay(BSTR* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UserId(BSTR* user) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UserId(BSTR user) = 0;
};
__CRT_UUID_DECL(ILogonTrigger, 0x72dade38, 0xfae4, 0x4b3e, 0xba, 0xf4, 0x5d, 0x00, 0x9a, 0xf0, 0x2b, 0x1c)

MIDL_INTERFACE("2a9c35da-d357-41f4-bbc1-207ac1b1f3cb")
IBootTrigger : public ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_Delay(BSTR* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) = 0;
};
__CRT_UUID_DECL(IBootTrigger, 0x2a9c35da, 0xd357, 0x41f4, 0xbb, 0xc1, 0x20, 0x7a, 0xc1, 0xb1, 0xf3, 0xcb)

MIDL_INTERFACE("d45b0167-9653-4eef-b94f-0732ca7af251")
IEventTrigger : public ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_Subscription(BSTR* query) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Subscription(BSTR query) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Delay(BSTR* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ValueQueries(ITaskNamedValueCollection** queries) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ValueQueries(ITaskNamedValueCollection* queries) = 0;
};
__CRT_UUID_DECL(IEventTrigger, 0xd45b0167, 0x9653, 0x4eef, 0xb9, 0x4f, 0x07, 0x32, 0xca, 0x7a, 0xf2, 0x51)

MIDL_INTERFACE("4c8fec3a-c218-4e0c-b23d-629024db91a2")
IRegistrationTrigger : public ITrigger {
  virtual HRESULT STDMETHODCALLTYPE get_Delay(BSTR* delay) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Delay(BSTR delay) = 0;
};
__CRT_UUID_DECL(IRegistrationTrigger, 0x4c8fec3a, 0xc218, 0x4e0c, 0xb2, 0x3d, 0x62, 0x90, 0x24, 0xdb, 0x91, 0xa2)
