#pragma once
// Japanese national holidays by the law in force in each year, and the month grid. No Qt.
namespace calendar {} // namespace calendar
