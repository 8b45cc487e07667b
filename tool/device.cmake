# The tool's device layer: call sequences on RVA.dll behind small views of
# the key tree and the details list.
if(WIN32)
  add_library(brevant_device STATIC device_layer.cpp key_tree_control.cpp)
  target_include_directories(brevant_device PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(brevant_device PUBLIC brevant_certpin_core tokenapi framework comctl32)

  # The key monitor: the device library's callbacks turned into messages.
  add_library(brevant_monitor STATIC key_monitor.cpp)
  target_link_libraries(brevant_monitor PUBLIC brevant_device brevant_text)

  if(BUILD_TESTING)
    add_project_test(brevant_device_tests SOURCES tests/device_layer_test.cpp
      LIBS brevant_device tokensim_testing)
    add_dependencies(brevant_device_tests rva tokenctl dist_files)
    add_project_test(brevant_monitor_tests SOURCES tests/key_monitor_test.cpp
      LIBS brevant_monitor tokensim_testing)
    add_dependencies(brevant_monitor_tests rva tokenctl dist_files)
  endif()
endif()
