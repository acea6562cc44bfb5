// Subsystem debugger: sources are added beside this file.
