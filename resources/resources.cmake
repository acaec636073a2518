# type  name  file
hidiap_add_resource(APP APPBIN ${CMAKE_CURRENT_SOURCE_DIR}/APP/appbin.txt)
