#include "Roster.h"

#include <array>
#include <cstdio>

namespace demo {

std::string studentName(int n)
{
    static const std::array<const char *, 24> surnames = {
        "陳", "林", "黃", "張", "李", "王", "吳", "劉", "蔡", "楊", "許", "鄭",
        "謝", "郭", "洪", "曾", "邱", "廖", "賴", "周", "徐", "蘇", "葉", "莊"};
    static const std::array<const char *, 31> givenNames = {
        "怡君", "志明", "雅婷", "家豪", "淑芬", "冠宇", "佳穎", "承恩", "宜蓁", "柏翰", "詩涵",
        "宥廷", "欣妤", "彥廷", "子晴", "俊傑", "品妍", "冠廷", "思妤", "宇軒", "芷瑜", "建宏",
        "筱涵", "哲瑋", "郁婷", "信宏", "靜怡", "育誠", "心怡", "昱翔", "采潔"};
    return std::string(surnames[(n * 7) % surnames.size()]) + givenNames[(n * 11 + 3) % givenNames.size()];
}

namespace {

SchoolClass makeClass(std::string code, std::string name, std::string subject, Layout layout, int size,
                      const char *idFormat, int idBase, int nameOffset)
{
    SchoolClass c{std::move(code), std::move(name), std::move(subject), layout, {}};
    for (int seat = 1; seat <= size; ++seat) {
        char id[32];
        std::snprintf(id, sizeof id, idFormat, idBase + seat);
        c.students.push_back({seat, id, studentName(nameOffset + seat)});
    }
    return c;
}

} // namespace

std::vector<SchoolClass> demoClasses()
{
    std::vector<SchoolClass> classes;
    // IDs with leading zeros: the page must keep them as text ("S091001").
    classes.push_back(makeClass("301", "三年一班", "國文", Layout::PerStudent, 36, "%06d", 91000, 0));
    classes.push_back(makeClass("302", "三年二班", "數學", Layout::SharedName, 40, "%06d", 102100, 40));
    classes.push_back(makeClass("205", "二年五班", "英文", Layout::PerStudent, 42, "%06d", 111500, 90));
    // Two transfer students with older, zero-led numbers in the shared-name class.
    classes[1].students[37].id = "098765";
    classes[1].students[38].id = "099012";
    classes[2].students[41].id = "097003";
    // The second test of 三年一班 國文, on a page that saves the rows it saw change.
    SchoolClass second = classes[0];
    second.code = "306";
    second.subject = "國文 第二次段考";
    second.savesChangedRowsOnly = true;
    second.sameRosterAsEarlier = true;
    classes.push_back(second);
    return classes;
}

} // namespace demo
