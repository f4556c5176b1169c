#pragma once

#include <string>
#include <vector>

namespace demo {

struct Student {
    int seat = 0;
    std::string id;
    std::string name;
};

enum class Layout {
    PerStudent, // hidden mStd_id per student, score inputs named "S" + ID
    SharedName, // mStd_id per student, every score input named "STD"
};

struct SchoolClass {
    std::string code;    // "301"
    std::string name;    // "三年一班"
    std::string subject; // "國文"
    Layout layout = Layout::PerStudent;
    std::vector<Student> students;
};

// The demo teacher's classes, the same on every start.
std::vector<SchoolClass> demoClasses();

// A plausible Chinese name for the n-th student, stable across runs.
std::string studentName(int n);

} // namespace demo
