#pragma once

#include <QString>

namespace slimtag {

// The addresses the About panel and the banner open.
inline constexpr char kProgramSite[] = "http://www.slimtag.example/";
inline constexpr char kMakerSite[] = "http://www.velmora-soft.example/";
inline constexpr char kMakerMailbox[] = "slimtag@velmora-soft.example";
inline constexpr char kTesterMailbox[] = "arseny@gavrilov.example";

// A new message to the mailbox with the product line as its subject:
// "mailto:" mailbox "?Subject=Slimtag v2.5.22", the blank left as it is.
QString MailLink(const QString& mailbox);

}  // namespace slimtag
