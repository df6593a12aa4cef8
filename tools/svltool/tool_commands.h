// The commands; each returns svltool's exit status.
#pragma once

#include "tools/svltool/command_line.h"

int RunNew(const Arguments& args);
int RunInfo(const Arguments& args);
int RunSet(const Arguments& args);
int RunImport(const Arguments& args);
int RunClick(const Arguments& args);
int RunBounce(const Arguments& args);
int RunExport(const Arguments& args);
int RunExportTracks(const Arguments& args);
