// A "libvexmor.so.3" without the factory CreateInstance, for the binding's
// failure path.
extern "C" __attribute__((visibility("default"))) int VexmorWithoutFactory() { return 0; }
