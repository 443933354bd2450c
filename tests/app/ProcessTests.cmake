# Tests of the whole program as a process: the real executable under Xvfb,
# typed at by xdotool, and the install rules. Included from tests/CMakeLists.txt.
if(NOT TARGET quorval-extension-maker)
  return()
endif()
find_program(XVFB Xvfb)
find_program(XDOTOOL xdotool)
find_program(SETXKBMAP setxkbmap)
if(XVFB AND XDOTOOL)
  add_test(NAME app.xvfb_save_and_exit
           COMMAND ${CMAKE_CURRENT_LIST_DIR}/xvfb_save_and_exit.sh
                   $<TARGET_FILE:quorval-extension-maker>)
  set_tests_properties(app.xvfb_save_and_exit PROPERTIES TIMEOUT 180)
  add_test(NAME app.xvfb_recover_after_kill
           COMMAND ${CMAKE_CURRENT_LIST_DIR}/xvfb_recover_after_kill.sh
                   $<TARGET_FILE:quorval-extension-maker>)
  set_tests_properties(app.xvfb_recover_after_kill PROPERTIES TIMEOUT 180)
  add_test(NAME app.xvfb_name_not_utf8
           COMMAND ${CMAKE_CURRENT_LIST_DIR}/xvfb_name_not_utf8.sh
                   $<TARGET_FILE:quorval-extension-maker>)
  set_tests_properties(app.xvfb_name_not_utf8 PROPERTIES TIMEOUT 180)
  # The back-reference test reads the status line from pictures of it.
  add_test(NAME app.xvfb_find_back_reference
           COMMAND ${CMAKE_CURRENT_LIST_DIR}/xvfb_find_back_reference.sh
                   $<TARGET_FILE:quorval-extension-maker> $<TARGET_FILE:qem_x_screenshot>)
  set_tests_properties(app.xvfb_find_back_reference PROPERTIES TIMEOUT 180)
  foreach(test xvfb_find_replace_go_to xvfb_window_size xvfb_complete_word)
    add_test(NAME app.${test} COMMAND ${CMAKE_CURRENT_LIST_DIR}/${test}.sh $<TARGET_FILE:quorval-extension-maker>)
    set_tests_properties(app.${test} PROPERTIES TIMEOUT 180)
  endforeach()
  # Skipped (77) only where AT-SPI cannot start; CI makes that a failure.
  add_test(NAME app.xvfb_screen_reader
           COMMAND ${CMAKE_CURRENT_LIST_DIR}/xvfb_screen_reader.sh $<TARGET_FILE:quorval-extension-maker>)
  set_tests_properties(app.xvfb_screen_reader PROPERTIES TIMEOUT 180 SKIP_RETURN_CODE 77)
  if(SETXKBMAP)
    add_test(NAME app.xvfb_keyboard_layout
             COMMAND ${CMAKE_CURRENT_LIST_DIR}/xvfb_keyboard_layout.sh
                     $<TARGET_FILE:quorval-extension-maker>)
    set_tests_properties(app.xvfb_keyboard_layout PROPERTIES TIMEOUT 180)
  endif()
endif()
add_test(NAME app.command_line
         COMMAND ${CMAKE_CURRENT_LIST_DIR}/command_line.sh $<TARGET_FILE:quorval-extension-maker>)
add_test(NAME app.install_layout
         COMMAND ${CMAKE_CURRENT_LIST_DIR}/install_layout.sh ${CMAKE_BINARY_DIR})
set_tests_properties(app.install_layout PROPERTIES TIMEOUT 180)

# Takes a picture of the X screen; the Xvfb test uses it when asked for pictures.
find_package(Qt6 REQUIRED COMPONENTS Gui)
add_executable(qem_x_screenshot ${CMAKE_CURRENT_LIST_DIR}/tools/x_screenshot.cpp)
target_link_libraries(qem_x_screenshot PRIVATE Qt6::Gui)
