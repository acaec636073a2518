# type  name  file

# Skin pictures (drawn by tools/genskin).
hidiap_add_resource(SKIN BKIMAGE2_JPG SKIN/bkimage2.jpg)
hidiap_add_resource(SKIN BKIMAGE1_JPG SKIN/bkimage1.jpg)
hidiap_add_resource(SKIN MODULE_HOME_PNG SKIN/module_home.png)
hidiap_add_resource(SKIN MODULE_PROTEC_PNG SKIN/module_protec.png)
hidiap_add_resource(SKIN MODULE_CLOCK_PNG SKIN/module_clock.png)
hidiap_add_resource(SKIN MODULE_HISTORY_PNG SKIN/module_history.png)
hidiap_add_resource(SKIN MODULE_SEARCH_PNG SKIN/module_search.png)
hidiap_add_resource(SKIN MODULE_TOOLS_PNG SKIN/module_tools.png)
