// The demo office's committee registers, for the demo/demo_*.cpp files
// only: the committee's bodies and their members, the members of each term,
// and the members' training, appraisal, honour and part-time post rows.
// Each function writes both communities' rows through `w`.
#pragma once

#include "demo/demo_persons.h"
#include "demo/demo_writer.h"

namespace officerecords::demo {

void write_bodies(row_writer& w, const roster& people);
void write_members(row_writer& w, const roster& people);
void write_member_side_registers(row_writer& w, const roster& people);

}  // namespace officerecords::demo
