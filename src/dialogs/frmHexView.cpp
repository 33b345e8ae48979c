#include "frmHexView.h"

#include "NamedControls.h"

#include "commands/HexRows.h"
#include "commands/MapRows.h"
#include "flash/ChecksumText.h"
#include "memory/Checksums.h"
#include "memory/Hex.h"
#include "views/ControlTexts.h"
#include "views/HexView.h"
#include "views/QtText.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace zep {

frmHexView::frmHexView(const QString& caption, MemImage image, QWidget* parent)
    : QDialog(parent), image_(std::move(image)), hexBytes_(new HexView(this)),
      txtGoTo_(namedLineEdit("txtGoTo", this)), txtFind_(namedLineEdit("txtFind", this)),
      chkFindText_(new QCheckBox("Text", this)), cmdFindNext_(new QPushButton("Find next", this)),
      cmdCopy_(new QPushButton("Copy as hex", this)), lblInfo_(new QLabel(this)),
      lblStatus_(new QLabel(this)) {
    setObjectName("frmHexView");
    hexBytes_->setObjectName("hexBytes");
    chkFindText_->setObjectName("chkFindText");
    cmdFindNext_->setObjectName("cmdFindNext");
    cmdCopy_->setObjectName("cmdCopy");
    lblInfo_->setObjectName("lblInfo");
    lblStatus_->setObjectName("lblStatus");
    QLabel* lblGoTo = namedLabel("lblGoTo", "&Go to address:", txtGoTo_, this);
    QLabel* lblFind = namedLabel("lblFind", "&Find:", txtFind_, this);
    txtGoTo_->setMaximumWidth(txtGoTo_->fontMetrics().horizontalAdvance(QString(14, '0')));
    lblInfo_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* grid = new QGridLayout(this);
    grid->addWidget(lblGoTo, 0, 0);
    grid->addWidget(txtGoTo_, 0, 1);
    grid->addWidget(lblFind, 0, 2);
    grid->addWidget(txtFind_, 0, 3);
    grid->addWidget(chkFindText_, 0, 4);
    grid->addWidget(cmdFindNext_, 0, 5);
    grid->addWidget(cmdCopy_, 0, 6);
    grid->addWidget(hexBytes_, 1, 0, 1, 7);
    grid->addWidget(lblInfo_, 2, 0, 1, 7);
    grid->addWidget(lblStatus_, 3, 0, 1, 7);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(1, 1);

    connect(txtGoTo_, &QLineEdit::returnPressed, this, &frmHexView::goToTyped);
    connect(txtFind_, &QLineEdit::returnPressed, this, &frmHexView::findNext);
    connect(cmdFindNext_, &QPushButton::clicked, this, &frmHexView::findNext);
    connect(cmdCopy_, &QPushButton::clicked, this, &frmHexView::copyHex);
    connect(hexBytes_, &HexView::cursorMoved, this, &frmHexView::showCursor);

    applyControlTexts(*this, "frmHexView/Controls");
    setWindowTitle(caption);
    hexBytes_->setImages({&image_});
    const MemMap map = image_.map();
    lblInfo_->setText(qtr("frmHexView/Messages/info/text", "{0} bytes in {1} range(s); {2}",
                          image_.byteCount(), map.count(), checksumsText(checksumsOf(image_))));
    showCursor();
    setSizeGripEnabled(true);
    resize(hexBytes_->fontMetrics().horizontalAdvance(QString(90, '0')), 520);
}

QString frmHexView::status() const {
    return lblStatus_->text();
}

void frmHexView::showCursor() {
    const auto [first, last] = hexBytes_->selection();
    lblStatus_->setText(first == last
                            ? qtr("frmHexView/Messages/cursor/text", "Address {0}", hex::withWidth(first, 8))
                            : qtr("frmHexView/Messages/selection/text", "{0} to {1}: {2} bytes",
                                  hex::withWidth(first, 8), hex::withWidth(last, 8), last - first + 1));
}

void frmHexView::goToTyped() {
    std::string text = ss(txtGoTo_->text().trimmed());
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text = text.substr(2);
    if (!text.empty() && (text.back() == 'h' || text.back() == 'H'))
        text.pop_back();
    std::uint64_t address = 0;
    bool ok = !text.empty() && text.size() <= 8;
    for (const char c : text) {
        const int digit = hex::digitValue(c);
        ok = ok && digit >= 0;
        address = address * 16 + std::uint64_t(std::max(digit, 0));
    }
    if (!ok) {
        lblStatus_->setText(qtr("frmHexView/Messages/badAddress/text",
                                "\"{0}\" is no address: type up to 8 hexadecimal digits, as 8000 or 0x1FFF0",
                                ss(txtGoTo_->text())));
        return;
    }
    hexBytes_->goTo(address);
    hexBytes_->setFocus();
}

bool frmHexView::findNext() {
    const QString typed = txtFind_->text();
    std::vector<std::uint8_t> pattern;
    if (chkFindText_->isChecked()) {
        const QByteArray bytes = typed.toLatin1();
        pattern.assign(bytes.begin(), bytes.end());
    } else if (const auto parsed = HexBytes::parse(ss(typed))) {
        pattern = *parsed;
    } else {
        lblStatus_->setText(qtr("frmHexView/Messages/badBytes/text",
                                "\"{0}\" are no hexadecimal bytes: type pairs of digits, as DE AD BE EF, or "
                                "check Text to find characters",
                                ss(typed)));
        return false;
    }
    // after the start of what is selected, so that pressing again steps on to the next match
    const auto found = HexBytes::find(image_, pattern, hexBytes_->selection().first + 1);
    if (!found) {
        lblStatus_->setText(
            qtr("frmHexView/Messages/notFound/text", "\"{0}\" is not in these bytes", ss(typed)));
        return false;
    }
    hexBytes_->select(*found, pattern.size());
    return true;
}

void frmHexView::copyHex() {
    QApplication::clipboard()->setText(hexBytes_->selectedHex());
}

} // namespace zep
