// SPDX-License-Identifier: GPL-3.0-or-later
// The centred shapes on their own: built on plain page widgets and a
// stand-in for the window, without the main window.
#include "support/testmain.h"
#include "commands/centredshapes.h"
#include "support/standinhost.h"
#include "widgets/fields.h"

#include <QPushButton>
#include <QTest>

using namespace varnix;

using test::StandInHost;

class CentredShapesTest : public QObject
{
    Q_OBJECT
private slots:
    void eachButtonSendsItsShape_data();
    void eachButtonSendsItsShape();
    void closedPortSendsNothing();
};

void CentredShapesTest::eachButtonSendsItsShape_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("frame");
    QTest::newRow("circle at start") << 0 << "cmdCirc" << QStringList{} << QStringList{} << "]c]402014";
    QTest::newRow("circle padded") << 0 << "cmdCirc" << QStringList{"txtCx", "txtCy", "txtcr"}
                                   << QStringList{"5", " 9 ", "3"} << "]c]050903";
    QTest::newRow("circle radius 256") << 0 << "cmdCirc" << QStringList{"txtcr"} << QStringList{"256"}
                                       << "]c]4020100";
}

void CentredShapesTest::eachButtonSendsItsShape()
{
    QFETCH(int, page);
    QFETCH(QString, button);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, texts);
    QFETCH(QString, frame);

    StandInHost host;
    QWidget circle, square, diamond, star;
    const std::array<QWidget*, CentredShapes::ShapeCount> pages{&circle, &square, &diamond, &star};
    CentredShapes shapes(host, pages);
    for (qsizetype i = 0; i < fields.size(); ++i)
        pages[page]->findChild<LineField*>(fields[i])->setExactText(texts[i]);
    pages[page]->findChild<QPushButton*>(button)->click();
    QCOMPARE(host.frames, QStringList{frame});
    QVERIFY(host.messages.isEmpty());
}

void CentredShapesTest::closedPortSendsNothing()
{
    StandInHost host;
    host.open = false;
    QWidget circle, square, diamond, star;
    CentredShapes shapes(host, {&circle, &square, &diamond, &star});
    circle.findChild<QPushButton*>("cmdCirc")->click();
    QVERIFY(host.frames.isEmpty());
    QCOMPARE(host.messages, QStringList{QStringLiteral("Comm Port Not Open")});
}

VARNIX_TEST_MAIN(CentredShapesTest)
#include "tst_centredshapes.moc"
