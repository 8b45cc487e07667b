# Settings, texts and the device library of the tray tool. The buffer
# cutting and the settings copy's merge are portable and tested in both trees.
add_library(brevant_text STATIC text_cut.cpp window_messages.cpp phase_trace.cpp ini_merge.cpp)
target_include_directories(brevant_text PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

if(WIN32)
  # With the message boxes and small dialogs that show those texts.
  add_library(brevant_base STATIC device_table.cpp language.cpp ini.cpp settings.cpp cached_texts.cpp
    small_dialogs.cpp tool_message_box.cpp)
  target_include_directories(brevant_base PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(brevant_base PUBLIC brevant_text tokenapi framework shell32 user32)
endif()

if(BUILD_TESTING)
  add_project_test(brevant_text_tests SOURCES tests/text_cut_test.cpp tests/window_messages_test.cpp tests/open_dialogs_test.cpp
    tests/ini_merge_test.cpp
    LIBS brevant_text)
  if(WIN32)
    add_project_test(brevant_settings_tests SOURCES tests/settings_test.cpp LIBS brevant_base tokensim_testing)
    add_dependencies(brevant_settings_tests rva dist_files)
  endif()
endif()
