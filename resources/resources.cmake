# type  name  file
hidiap_add_resource(APP APPBIN ${CMAKE_CURRENT_SOURCE_DIR}/APP/appbin.txt)
hidiap_add_resource(FORM LED_GREEN_PNG ${CMAKE_CURRENT_SOURCE_DIR}/FORM/led_green.png)
hidiap_add_resource(FORM LED_RED_PNG ${CMAKE_CURRENT_SOURCE_DIR}/FORM/led_red.png)

# Skin pictures (drawn by tools/genskin).
hidiap_add_resource(SKIN BKIMAGE2_JPG SKIN/bkimage2.jpg)
hidiap_add_resource(SKIN BKIMAGE1_JPG SKIN/bkimage1.jpg)
hidiap_add_resource(SKIN MODULE_HOME_PNG SKIN/module_home.png)
hidiap_add_resource(SKIN MODULE_PROTEC_PNG SKIN/module_protec.png)
hidiap_add_resource(SKIN MODULE_CLOCK_PNG SKIN/module_clock.png)
hidiap_add_resource(SKIN MODULE_HISTORY_PNG SKIN/module_history.png)
hidiap_add_resource(SKIN MODULE_SEARCH_PNG SKIN/module_search.png)
hidiap_add_resource(SKIN MODULE_TOOLS_PNG SKIN/module_tools.png)
hidiap_add_resource(ICON HIDIAP_PNG ${PROJECT_SOURCE_DIR}/packaging/icons/hicolor/64x64/apps/hidiap.png)
