// The demo office's own registers, for the demo/demo_*.cpp files only:
// assets, income and expenditure, daily work, seal use, organisations moving
// in, activities with their photos, and the community chronicle. Each
// function writes both communities' rows through `w`.
#pragma once

#include "demo/demo_persons.h"
#include "demo/demo_writer.h"

namespace officerecords::demo {

void write_assets(row_writer& w);
void write_income(row_writer& w);
void write_expenditure(row_writer& w);
void write_daily_work(row_writer& w);
// Applicants are residents taken from `people`.
void write_seal_use(row_writer& w, const roster& people);
void write_move_in(row_writer& w);
// Also the chronicle rows of the activities marked as big affairs, and the
// photos of each community's first activity.
void write_activities(row_writer& w);
void write_chronicle(row_writer& w);

}  // namespace officerecords::demo
