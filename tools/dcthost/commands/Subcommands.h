// dcthost's subcommands, one file per group; each returns the program's exit status.
#pragma once

#include "HostArgs.h"

namespace dcthost {

// SettingsCommands.cpp: the library's description and the terminal's section of the settings file.
int Info(const Options& o);
int Configure(const Options& o);
int Show(const Options& o);
int Remove(const Options& o);
// ReadCommand.cpp, WriteCommand.cpp: the records out of the terminal, the goods table into it.
int Read(const Options& o);
int Write(const Options& o);
// ServiceCommands.cpp: clearing the terminal and the library's service dialog.
int Clear(const Options& o);
int Service(const Options& o);
// DoctorCommand.cpp: every check of the installation, with a fix for each failure.
int Doctor(const Options& o);
// SimCommand.cpp: the simulator's registration and its device folder.
int Sim(const Options& o);

}  // namespace dcthost
