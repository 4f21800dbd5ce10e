// TLookupChooserDLG: "候補の選択", the list of releases an online search found for the disc
// (title, artist, country, date, label, source), Japanese releases first as the search orders
// them. OK or a double click takes the selected row.
#pragma once

#include <QDialog>
#include <optional>
#include <vector>

#include "metadata/DiscProposal.h"

class QTableWidget;

namespace qvr {

class TLookupChooserDLG final : public QDialog {
 public:
  TLookupChooserDLG(QWidget* parent, const std::vector<DiscProposal>& proposals);

  // The selected row, once the dialog ended with OK.
  std::optional<std::size_t> Chosen() const;

  QTableWidget* CandidateLST = nullptr;
};

// Runs the chooser modally over `parent`; the chosen proposal's index, or nullopt when cancelled.
std::optional<std::size_t> ChooseProposal(QWidget* parent, const std::vector<DiscProposal>& proposals);

}  // namespace qvr
