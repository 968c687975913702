#include "calendar/Holidays.h"
