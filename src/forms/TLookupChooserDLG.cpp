// The chooser of online search results.
#include "forms/TLookupChooserDLG.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace qvr {

TLookupChooserDLG::TLookupChooserDLG(QWidget* parent, const std::vector<DiscProposal>& proposals) : QDialog(parent) {
  setObjectName("LookupChooserDLG");
  setWindowTitle(QString::fromUtf8("候補の選択"));
  auto* layout = new QVBoxLayout(this);
  auto* caption = new QLabel(QString::fromUtf8("このＣＤに合う候補が %1 件見つかりました。使うものを選んでください。")
                                 .arg(static_cast<int>(proposals.size())));
  caption->setWordWrap(true);
  layout->addWidget(caption);

  CandidateLST = new QTableWidget(static_cast<int>(proposals.size()), 6, this);
  CandidateLST->setObjectName("CandidateLST");
  CandidateLST->setHorizontalHeaderLabels({QString::fromUtf8("タイトル"), QString::fromUtf8("アーティスト"),
                                           QString::fromUtf8("国"), QString::fromUtf8("発売日"),
                                           QString::fromUtf8("レーベル"), QString::fromUtf8("情報源")});
  CandidateLST->setSelectionBehavior(QAbstractItemView::SelectRows);
  CandidateLST->setSelectionMode(QAbstractItemView::SingleSelection);
  CandidateLST->setEditTriggers(QAbstractItemView::NoEditTriggers);
  CandidateLST->verticalHeader()->hide();
  CandidateLST->setWordWrap(false);
  for (int row = 0; row < static_cast<int>(proposals.size()); ++row) {
    const DiscProposal& proposal = proposals[static_cast<std::size_t>(row)];
    const std::string cells[] = {proposal.Title, proposal.Artist, proposal.Country,
                                 proposal.Date,  proposal.Label,  proposal.Source};
    for (int column = 0; column < 6; ++column) {
      CandidateLST->setItem(row, column, new QTableWidgetItem(QString::fromStdString(cells[column])));
    }
  }
  CandidateLST->resizeColumnsToContents();
  CandidateLST->setColumnWidth(1, std::min(CandidateLST->columnWidth(1), 220));
  // The title takes the room that is left.
  CandidateLST->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  CandidateLST->selectRow(0);
  layout->addWidget(CandidateLST, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QString::fromUtf8("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QString::fromUtf8("キャンセル"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(CandidateLST, &QTableWidget::cellDoubleClicked, this, [this] { accept(); });
  layout->addWidget(buttons);
  resize(640, 300);
}

std::optional<std::size_t> TLookupChooserDLG::Chosen() const {
  if (result() != QDialog::Accepted || CandidateLST->currentRow() < 0) return std::nullopt;
  return static_cast<std::size_t>(CandidateLST->currentRow());
}

std::optional<std::size_t> ChooseProposal(QWidget* parent, const std::vector<DiscProposal>& proposals) {
  TLookupChooserDLG chooser(parent, proposals);
  chooser.exec();
  return chooser.Chosen();
}

}  // namespace qvr
