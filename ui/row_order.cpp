#include "ui/row_order.h"

namespace qf {
namespace {

bool IsDecimalDigits(TextView text) {
    return text.find_first_not_of(u"0123456789") == TextView::npos;
}

TextView WithoutLeadingZeros(TextView digits) {
    const size_t first = digits.find_first_not_of(u'0');
    return first == TextView::npos ? TextView() : digits.substr(first);
}

// Numbers of any length, without converting them.
int CompareNumbers(TextView a, TextView b) {
    a = WithoutLeadingZeros(a);
    b = WithoutLeadingZeros(b);
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

}  // namespace

int CompareRowTexts(TextView first, TextView second) {
    if (IsDecimalDigits(first) && IsDecimalDigits(second)) return CompareNumbers(second, first);
    return first.compare(second);
}

}  // namespace qf
