# The tool's windows and its program.
add_library(brevant_testing INTERFACE)
target_include_directories(brevant_testing INTERFACE ${CMAKE_CURRENT_SOURCE_DIR}/testing)
# The browsers: the bank's site on arrival, the secure sessions at removal.
add_library(brevant_browser STATIC browser_integration.cpp shell_window_list.cpp browser_start.cpp)
target_include_directories(brevant_browser PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(brevant_browser PUBLIC brevant_base brevant_device brevant_certpin_core framework
  ole32 oleaut32 uuid shell32 shlwapi)

add_library(brevant_app STATIC brevant_dlg.cpp device_library_notice.cpp single_instance.cpp tool_key_monitor.cpp registered_messages.cpp)
target_include_directories(brevant_app PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(brevant_app PUBLIC brevant_base brevant_browser brevant_device brevant_monitor brevant_ui brevant_cert_tree brevant_key_dialogs framework comctl32 shell32 ole32 gdi32 user32)

brevant_resource_script()

add_executable(brevant WIN32 brevant_app.cpp Brevant.rc)
set_target_properties(brevant PROPERTIES OUTPUT_NAME Brevant)
target_link_libraries(brevant PRIVATE brevant_app brevant_trusted_sites)
add_dependencies(brevant dist_files)

if(BUILD_TESTING)
  add_project_test(brevant_window_tests SOURCES tests/small_dialogs_test.cpp Brevant.rc
    LIBS brevant_app framework_testing tokensim_testing)
  add_dependencies(brevant_window_tests rva dist_files)
  add_project_test(brevant_start_tests SOURCES tests/start_test.cpp
    LIBS brevant_app brevant_ui brevant_testing tokensim_testing)
  add_dependencies(brevant_start_tests brevant rva tokenctl dist_files browser_standins)
  add_project_test(brevant_cert_flow_tests SOURCES tests/cert_flow_test.cpp
    LIBS brevant_cert_store brevant_base brevant_testing framework tokensim_testing comctl32)
  add_dependencies(brevant_cert_flow_tests brevant rva tokenctl dist_files browser_standins)
  add_project_test(brevant_main_window_tests SOURCES tests/main_window_test.cpp
    LIBS brevant_cert_store brevant_base brevant_testing framework tokensim_testing comctl32)
  add_dependencies(brevant_main_window_tests brevant rva tokenctl dist_files browser_standins)

  # Test programs in the place of the browsers and of the shell's window list
  # (testing/browser_standins.h puts them there).
  add_executable(browser_standin WIN32 testing/browser_standin.cpp)
  target_link_libraries(browser_standin PRIVATE framework)
  add_library(shell_windows_standin SHARED testing/shell_windows_standin.cpp testing/shell_windows_standin.def)
  target_include_directories(shell_windows_standin PRIVATE testing)
  target_link_libraries(shell_windows_standin PRIVATE framework ole32 oleaut32 uuid advapi32)
  set_target_properties(browser_standin shell_windows_standin PROPERTIES PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${TEST_OUTPUT_DIRECTORY})
  add_custom_target(browser_standins DEPENDS browser_standin shell_windows_standin)

  add_project_test(brevant_browser_tests SOURCES tests/browser_test.cpp
    LIBS brevant_browser brevant_testing tokensim_testing)
  add_dependencies(brevant_browser_tests rva tokenctl dist_files browser_standins)
endif()

# The benchmark (scripts/bench tool): each kind of key change until it shows, phase by phase.
if(BUILD_TESTING)
  add_executable(brevant_bench bench/key_change_bench.cpp)
  target_link_libraries(brevant_bench PRIVATE brevant_cert_store brevant_testing brevant_text framework tokensim_testing comctl32)
  set_target_properties(brevant_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  add_dependencies(brevant_bench brevant rva tokenctl dist_files browser_standins)
  # The soak run (scripts/soak): the tool and the bridge through many key
  # changes under load.
  add_executable(brevant_soak bench/soak.cpp bench/soak_clients.cpp testing/process_probe.cpp)
  target_link_libraries(brevant_soak PRIVATE brevant_cert_store brevant_testing corvane_testing framework
    tokensim_testing psapi ntdll)
  set_target_properties(brevant_soak PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  add_dependencies(brevant_soak brevant corvane kestrine rva tokenctl dist_files browser_standins)
endif()

# certlist: the store entries of a provider (the demo's check).
add_executable(certlist tools/cert_list.cpp)
target_link_libraries(certlist PRIVATE framework crypt32)
set_target_properties(certlist PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)
