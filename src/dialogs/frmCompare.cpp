#include "frmCompare.h"

#include "frmText.h"

#include "text/Interaction.h"
#include "views/ControlTexts.h"
#include "views/HexView.h"
#include "views/QtText.h"

#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace zep {

frmCompare::frmCompare(const CompareResult& result, CompareDetail detail, Interaction& ui, QWidget* parent)
    : QDialog(parent), result_(result), detail_(std::move(detail)), ui_(ui), hexBytes_(new HexView(this)),
      lblSummary_(new QLabel(this)), cmdPrevious_(new QPushButton("&Previous difference", this)),
      cmdNext_(new QPushButton("&Next difference", this)),
      cmdShowText_(new QPushButton("Show as &text", this)),
      cmdSaveText_(new QPushButton("&Save as text...", this)) {
    setObjectName("frmCompare");
    hexBytes_->setObjectName("hexBytes");
    lblSummary_->setObjectName("lblSummary");
    cmdPrevious_->setObjectName("cmdPrevious");
    cmdNext_->setObjectName("cmdNext");
    cmdShowText_->setObjectName("cmdShowText");
    cmdSaveText_->setObjectName("cmdSaveText");
    lblSummary_->setWordWrap(true);
    lblSummary_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* grid = new QGridLayout(this);
    grid->addWidget(lblSummary_, 0, 0, 1, 5);
    grid->addWidget(hexBytes_, 1, 0, 1, 5);
    grid->addWidget(cmdPrevious_, 2, 0);
    grid->addWidget(cmdNext_, 2, 1);
    grid->setColumnStretch(2, 1);
    grid->addWidget(cmdShowText_, 2, 3);
    grid->addWidget(cmdSaveText_, 2, 4);
    grid->setRowStretch(1, 1);

    connect(cmdPrevious_, &QPushButton::clicked, this, &frmCompare::previousDifference);
    connect(cmdNext_, &QPushButton::clicked, this, &frmCompare::nextDifference);
    connect(cmdShowText_, &QPushButton::clicked, this, &frmCompare::showText);
    connect(cmdSaveText_, &QPushButton::clicked, this, &frmCompare::saveText);
    askPath = [this] {
        return QFileDialog::getSaveFileName(
            this, {}, {}, qtr("frmCompare/dialogs/saveText/filter", "Text files (*.txt);;All files (*)"));
    };

    applyControlTexts(*this, "frmCompare/Controls");
    setWindowTitle(qs(result_.title));
    lblSummary_->setText(qs(Compare::SummaryText(detail_)));
    if (result_.first && result_.second)
        hexBytes_->setImages({&result_.first->value(), &result_.second->value()},
                             {qtr("frmCompare/Messages/target/text", "TARGET {0}", result_.firstName),
                              qtr("frmCompare/Messages/source/text", "SOURCE {0}", result_.secondName)});
    hexBytes_->setHighlighted(&detail_.runs);
    if (!detail_.runs.empty())
        hexBytes_->select(detail_.runs.front().address, detail_.runs.front().count);
    setSizeGripEnabled(true);
    resize(hexBytes_->fontMetrics().horizontalAdvance(QString(160, '0')), 560);
}

QString frmCompare::summary() const {
    return lblSummary_->text();
}

bool frmCompare::nextDifference() {
    // from the start of the selection: a difference selected before is stepped over
    const std::uint64_t from = hexBytes_->selection().first;
    const auto it = std::upper_bound(detail_.runs.begin(), detail_.runs.end(), from,
                                     [](std::uint64_t a, const MemRange& r) { return a < r.address; });
    if (it == detail_.runs.end())
        return false;
    hexBytes_->select(it->address, it->count);
    return true;
}

bool frmCompare::previousDifference() {
    const std::uint64_t from = hexBytes_->selection().first;
    auto it = std::lower_bound(detail_.runs.begin(), detail_.runs.end(), from,
                               [](const MemRange& r, std::uint64_t a) { return r.address < a; });
    if (it == detail_.runs.begin())
        return false;
    --it;
    hexBytes_->select(it->address, it->count);
    return true;
}

void frmCompare::showText() {
    frmText viewer(this);
    viewer.setWindowTitle(qs(result_.title));
    viewer.setText(qs(result_.listing));
    viewer.exec();
}

bool frmCompare::saveText() {
    const QString path = askPath();
    if (path.isEmpty())
        return false;
    QFile file(path);
    const QByteArray bytes = QByteArray::fromStdString(result_.listing);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        ui_.critical(zep::tr("frmCompare/Messages/saveFailed/text",
                             "The listing could not be written to {0}: choose a folder you may write to.",
                             ss(path)));
        return false;
    }
    return true;
}

} // namespace zep
