// A module whose own library is not installed where it can be found.
extern "C" int officerecords_absent_dep_answer();

extern "C" __attribute__((visibility("default"))) void* officerecords_module_needs_absent() {
    static int answer = officerecords_absent_dep_answer();
    return &answer;
}
