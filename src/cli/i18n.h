#pragma once
// The companion's messages in the language of the locale, through gettext. The texts in the
// sources are the English ones; a language without a catalogue (or LANG=C) shows them as they are.

#include <libintl.h>

#include <initializer_list>
#include <string>
#include <string_view>

#define _(text) ::gettext(text)
#define N_(text) text

namespace tavelix::cli {

// The locale of the environment for messages and characters, and the catalogue of tavelix-cli.
// Numbers keep the C locale's form.
void SetUpTranslations();

// format with each %s replaced by the next of args; %1$s, %2$s ... by the one of that number
// (a translation may reorder them). Nothing else in format is special.
std::string Fill(std::string_view format, std::initializer_list<std::string_view> args);

// A text the engine gave, in the language of the locale where the catalogue has it.
inline std::string Translated(const std::string& text) { return text.empty() ? text : ::gettext(text.c_str()); }

}  // namespace tavelix::cli

namespace tavelix::cli {

// A list of picture types such as ".jpg, .bmp or .png", in the language of the locale.
inline std::string PictureTypes(std::string_view types) { return Translated(std::string(types)); }

}  // namespace tavelix::cli
