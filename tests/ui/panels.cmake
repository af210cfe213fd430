# Test panels of test_ui.
if(TARGET test_ui)
  file(GLOB test_panel_files CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.ui)
  ktav_panels(TARGET test_ui PREFIX test_panels RESOURCE test_panels.uir
              FILES ${test_panel_files})
endif()
