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
    // Its page saves only the rows its own script saw change (an input or
    // change event on the score), as many current school systems do.
    bool savesChangedRowsOnly = false;
    // A further test of a class listed before: its gradebook sheet is that class's.
    bool sameRosterAsEarlier = false;
};

// The demo teacher's classes, the same on every start.
std::vector<SchoolClass> demoClasses();

// A plausible Chinese name for the n-th student, stable across runs.
std::string studentName(int n);

} // namespace demo
