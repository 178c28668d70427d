#pragma once

namespace vorn::notes {

// What a paragraph of a note is, as its leading marker characters say. Only a checkbox carries its tick
// and only a number its value, so two kinds compare equal exactly when they would print the same marker.
struct ParagraphKind {
    enum class Case { checkbox, number, plain, bullet, divider };

    Case kase = Case::plain;
    bool checked = false;
    int number = 0;

    static constexpr ParagraphKind checkbox(bool isChecked) { return {Case::checkbox, isChecked, 0}; }
    static constexpr ParagraphKind numbered(int value) { return {Case::number, false, value}; }
    static constexpr ParagraphKind plain() { return {}; }
    static constexpr ParagraphKind bullet() { return {Case::bullet, false, 0}; }
    static constexpr ParagraphKind divider() { return {Case::divider, false, 0}; }

    constexpr bool isList() const
    {
        return kase == Case::checkbox || kase == Case::number || kase == Case::bullet;
    }
    constexpr bool is(Case c) const { return kase == c; }
    constexpr bool operator==(const ParagraphKind&) const = default;
};

} // namespace vorn::notes
