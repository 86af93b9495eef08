// The check dialog 136 drives ("Проверить загрузку"): the load check's run
// over the ACM and Video for Windows codecs of one view alone.
#pragma once
#include "../drivercodecs/driver_load_check.h"

// Makes a check for dialog 136 (a DriverCheckMaker).
std::unique_ptr<DriverLoadCheck> MakeDriverLoadCheck();
