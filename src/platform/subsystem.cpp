// Subsystem platform: sources are added beside this file.
