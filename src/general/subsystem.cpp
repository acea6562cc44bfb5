// Subsystem general: sources are added beside this file.
