# The program in the user's language and as a screen reader meets it.

# The window in German (LANGUAGE=de), with the translations the build made.
voxreel_add_test(app_i18n_tests SOURCES i18n_test.cpp asan_options.cpp
                 LIBS voxreel_app voxreel_skype voxreel_test_support Qt6::Test TIMEOUT 180)
if(TARGET app_i18n_tests)
  target_compile_definitions(app_i18n_tests PRIVATE
    VOXREEL_PLUGIN_OUTPUT_DIR="${VOXREEL_PLUGIN_OUTPUT_DIR}")
  add_dependencies(app_i18n_tests gstcallfeed voxreel)
endif()

# Every text lupdate finds in app/ has a finished translation in each .ts,
# with the same arguments, line breaks and menu accelerators that stay unique.
if(NOT VOXREEL_SANITIZE)
  add_test(NAME translations_complete
           COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/translations_complete.py
                   $<TARGET_FILE:Qt6::lupdate> ${PROJECT_SOURCE_DIR}/app ${VOXREEL_TS_FILES})
  set_tests_properties(translations_complete PROPERTIES TIMEOUT 120 LABELS i18n)
endif()

# The real program under Xvfb, read through the accessibility bus.
if(NOT VOXREEL_SANITIZE)
  add_test(NAME atspi_window COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/atspi_window.sh
           ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR})
  set_tests_properties(atspi_window PROPERTIES TIMEOUT 120 LABELS desktop)
endif()
