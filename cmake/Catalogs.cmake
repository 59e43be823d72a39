# hv_catalogs(TARGET SOURCE_DIR OUTPUT_DIR)
# Every SOURCE_DIR/<lang>/<domain>.po becomes OUTPUT_DIR/<lang>/LC_MESSAGES/<domain>.mo, compiled
# by msgfmt at build time.
find_program(HV_MSGFMT msgfmt REQUIRED)
function(hv_catalogs target src out)
  file(GLOB_RECURSE pos CONFIGURE_DEPENDS ${src}/*.po)
  set(mos)
  foreach(po ${pos})
    file(RELATIVE_PATH rel ${src} ${po})
    get_filename_component(lang ${rel} DIRECTORY)
    get_filename_component(domain ${po} NAME_WE)
    set(dir ${out}/${lang}/LC_MESSAGES)
    set(mo ${dir}/${domain}.mo)
    add_custom_command(OUTPUT ${mo}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
      COMMAND ${HV_MSGFMT} -o ${mo} ${po}
      DEPENDS ${po} VERBATIM)
    list(APPEND mos ${mo})
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${mos})
endfunction()
