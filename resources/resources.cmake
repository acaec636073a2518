# type  name  file
hidiap_add_resource(APP APPBIN ${CMAKE_CURRENT_SOURCE_DIR}/APP/appbin.txt)
hidiap_add_resource(FORM LED_GREEN_PNG ${CMAKE_CURRENT_SOURCE_DIR}/FORM/led_green.png)
hidiap_add_resource(FORM LED_RED_PNG ${CMAKE_CURRENT_SOURCE_DIR}/FORM/led_red.png)
hidiap_add_resource(ICON HIDIAP_PNG ${PROJECT_SOURCE_DIR}/packaging/icons/hicolor/64x64/apps/hidiap.png)
