// A library the fixture module needs, kept where the loader cannot find it.
extern "C" __attribute__((visibility("default"))) int officerecords_absent_dep_answer() { return 42; }
