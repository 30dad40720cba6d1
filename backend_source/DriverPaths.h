// Where the backend finds the driver's files: the settings file, the
// registration file, the model folder and its debug log. The installed
// defaults come from the configure-time folders; a test in the same process
// may move them.
#pragma once

// The settings file, registration file, model folder and log file in force.
// Any thread; the texts stay valid until the next driver_paths_set.
const char* driver_ini_path();
const char* driver_registration_path();
const char* driver_model_dir();
const char* driver_log_path();

// Moves the files below etcDir (settings, registration), optDir ("models")
// and to logPath; null restores that default. Only for tests linking the
// backend's code, while no other thread uses the backend.
void driver_paths_set(const char* etcDir, const char* optDir, const char* logPath);
