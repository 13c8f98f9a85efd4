#include "options/settingsfile.h"
