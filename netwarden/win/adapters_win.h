#pragma once
// Network adapters through the device installation functions: the facts the adapter
// choice needs, and state changes through the class installer.

// True when some network adapter is up.
bool NetworkAdapterUp();

// Enables or disables the adapters the mode chooses (see ChooseAdapterChanges), with
// the wait cursor shown meanwhile.
void ApplyAdapterMode(int mode);
