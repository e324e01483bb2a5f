#pragma once
// Small pictures drawn by the program for the buttons of the address book.
#include <QIcon>

namespace userdata {

QIcon LetterIcon();  // a sheet with lines of writing: "put into the mail"
QIcon AddIcon();     // a card with a plus sign: "add an address"

}  // namespace userdata
