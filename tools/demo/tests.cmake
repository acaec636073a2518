# Included by the top level once testing is enabled.
# The demo starts with its control window beside the main window, shows the hub's plug-in in
# the frame trace, renders both windows to a picture and quits; it exits non-zero otherwise.
add_test(NAME demo_screenshot
         COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                 HIDIAP_DEMO_SCREENSHOT=${CMAKE_BINARY_DIR}/tools/demo/demo_screenshot.png
                 HIDIAP_DEMO_SCREENSHOT_MS=2500 $<TARGET_FILE:hidiap-demo>)
set_tests_properties(demo_screenshot PROPERTIES LABELS demo TIMEOUT 60)
