#include "help/RtfReader.h"
