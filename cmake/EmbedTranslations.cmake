# embed_translations(<target> <name> <qrc prefix> <ts files...>)
# Compiles the catalogues at build time and embeds the .qm files in <target>
# under <qrc prefix>; the code registers them with Q_INIT_RESOURCE(<name>).
function(embed_translations target name prefix)
  qt5_add_translation(qm_files ${ARGN})
  set(entries "")
  foreach(qm IN LISTS qm_files)
    get_filename_component(qm_name ${qm} NAME)
    string(APPEND entries "    <file alias=\"${qm_name}\">${qm}</file>\n")
  endforeach()
  set(qrc ${CMAKE_CURRENT_BINARY_DIR}/${name}.qrc)
  file(CONFIGURE OUTPUT ${qrc}
    CONTENT "<RCC>\n  <qresource prefix=\"${prefix}\">\n${entries}  </qresource>\n</RCC>\n")
  qt5_add_resources(rcc_sources ${qrc} OPTIONS -name ${name})
  target_sources(${target} PRIVATE ${rcc_sources} ${ARGN})
endfunction()
