// A shared library named like a module that has no entry function.
extern "C" __attribute__((visibility("default"))) int officerecords_not_an_entry() { return 0; }
