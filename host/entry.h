// What the plug-in provides to the entry point: start, end and plug-in messages.
#pragma once

#include <cstdint>

namespace host {

// Runs the start sequence; false stops the module.
bool pluginStart();
// Runs the end sequence (the last user has gone).
void pluginEnd();
// Handles plug-in message id with its data; answers whether it was handled with success.
bool pluginMessage(int32_t id, void* data);
// Creates the module's resource holder at binding; false when it cannot be created.
bool pluginBindResources();

}  // namespace host
