/* The baseline of the load-time benchmark: a DLL with the host's first call that does nothing, so
   that loading, calling and freeing it costs what any DLL costs. */
__declspec(dllexport) void __cdecl DctGetDriverInfo(void* info) { (void)info; }
