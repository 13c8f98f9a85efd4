#include "saved/selectionfile.h"
