#pragma once
// What the views of a held month (one whose file, or its previous month's,
// failed to read) show: which file and why, and which of its figures are
// left out. The monthly list and the daily sheet show a held month alike.

#include <QString>

class Book;

struct HeldView {
    bool held = false;
    QString notice;      // the file and why; empty when not held
    bool figures = true; // the month's own amounts may be shown
    bool balance = true; // the balance to date may be shown
};

HeldView heldView(const Book& book);
