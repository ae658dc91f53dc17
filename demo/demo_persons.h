// The demo office's people, for the demo/demo_*.cpp files only: its two
// communities, the persons generated for them (the committee people from
// fixed profiles, the other residents from a fixed-seed generator) and the
// roster through which the registers refer to them.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/value.h"
#include "demo/demo_data.h"
#include "demo/demo_writer.h"

namespace officerecords::demo {

struct community {
    std::string_view commno;
    std::string_view name;
    std::array<std::string_view, 4> streets;
    int persons;
};

inline constexpr std::array<community, 2> k_communities = {{
    {k_demo_commno_1, "水果湖社区", {"东湖路", "水果湖横路", "中北路", "黄鹂路"}, 120},
    {k_demo_commno_2, "东亭社区", {"东亭路", "东亭二路", "岳家嘴路", "徐东大街"}, 80},
}};

// The number of community 0 or 1.
std::string_view commno_of(int community);

struct person {
    std::string personno, name, idcard, sex;
    date birth;
    std::string rprtype, rpraddr, nationality, polity, phone, edulevel, address, personkind;
    bool dead = false;
    int community = 0;
    int age() const { return 2025 - birth.year(); }
};

// Every person of both communities, community by community, each starting
// with its committee people; the same persons on every call.
std::vector<person> build_persons();

// Finds the persons the registers refer to: the committee people of each
// community (in the order of their fixed profiles) and its other living adults.
class roster {
  public:
    // Keeps a reference: `people` must outlive the roster.
    explicit roster(const std::vector<person>& people);
    const person& board(int community, int index) const {
        return people_[static_cast<std::size_t>(first_[static_cast<std::size_t>(community)] +
                                                index)];
    }
    const person& resident(int community, int index) const {
        return *residents_[static_cast<std::size_t>(community)][static_cast<std::size_t>(index)];
    }

  private:
    const std::vector<person>& people_;
    std::array<int, 2> first_ = {-1, -1};
    std::array<std::vector<const person*>, 2> residents_;
};

// The person register and its volunteer supplement.
void write_persons(row_writer& w, const std::vector<person>& people);

// Portraits of some of the committee people.
void write_person_photos(row_writer& w, const roster& people);

}  // namespace officerecords::demo
