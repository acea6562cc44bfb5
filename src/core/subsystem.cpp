// Subsystem core: sources are added beside this file.
