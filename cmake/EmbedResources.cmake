# qem_embed_resources(<target>): compiles every file in resources/ into
# <target> as `resource_<stem>` byte arrays (see runtime/ui/resources.h).
function(qem_embed_resources target)
  file(GLOB files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.png)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/embedded_resources.cpp)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DOUT=${out} "-DFILES=${files}"
            -P ${CMAKE_SOURCE_DIR}/cmake/EmbedFiles.cmake
    DEPENDS ${files} ${CMAKE_SOURCE_DIR}/cmake/EmbedFiles.cmake
    COMMENT "Embedding resources"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
endfunction()
