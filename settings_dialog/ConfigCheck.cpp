#include "settings_dialog/ConfigCheck.h"
