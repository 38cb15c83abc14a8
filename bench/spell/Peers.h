#pragma once
// The two spelling checkers side by side: ours over the compiled tov.dct,
// and Hunspell with its en_US dictionary (which takes UTF-8).

#include "spell/TAcropSpell.h"
#include "spell/WordList.h"

#include <hunspell.hxx>
#include <memory>
#include <stdexcept>

namespace spellbench {

inline std::unique_ptr<spell::TAcropSpell> OpenOurs() {
  auto s = std::make_unique<spell::TAcropSpell>();
  if (!s->OpenMainDictionary(TOLVANE_MAIN_DICTIONARY))
    throw std::runtime_error("tov.dct: " + s->LastError());
  return s;
}

inline std::unique_ptr<Hunspell> OpenHunspell() {
  return std::make_unique<Hunspell>("/usr/share/hunspell/en_US.aff",
                                    "/usr/share/hunspell/en_US.dic");
}

inline bool HunspellKnows(Hunspell& h, const std::string& ansi) {
  return h.spell(spell::AnsiToUtf8(ansi));
}

} // namespace spellbench
