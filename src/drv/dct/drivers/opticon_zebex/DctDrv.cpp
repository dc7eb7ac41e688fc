// placeholder exports until the boundary lands
extern "C" {
int LoadDctLibrary() { return 0; }
void DctGetDriverInfo(void*) {}
int DctRemove(int, const char*) { return -7; }
int DctConfigure(int, const char*) { return -5; }
int DctInit(int, const char*, void**, void**) { return -7; }
int DctErr(void*, int*, char**, int) { return 0; }
}
