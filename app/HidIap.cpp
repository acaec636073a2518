#include "HidIap.h"
