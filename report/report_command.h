// The menu command "Сохранить отчет о кодеках..": the report, saved where the
// user chooses, and opened if the user wants.
#pragma once

void SaveCodecReport();
