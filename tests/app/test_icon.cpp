// The icon compiled into the program: the window and the desktop take it
// from the resource ":/img_qz_icon"; a wrong alias or a damaged file would
// only show as a missing icon, so it is checked here.
#include <QIcon>
#include <QImage>
#include <QTest>

class TestIcon : public QObject {
    Q_OBJECT

private slots:
    void resourceIsA48PixelImageWithAlpha();
    void outlineIsTransparentAndBodyOpaque();
    void iconScalesForSmallerUses();
};

void TestIcon::resourceIsA48PixelImageWithAlpha() {
    const QImage image(QStringLiteral(":/img_qz_icon"));
    QVERIFY2(!image.isNull(), "no image under :/img_qz_icon");
    QCOMPARE(image.size(), QSize(48, 48));
    QVERIFY(image.hasAlphaChannel());
}

void TestIcon::outlineIsTransparentAndBodyOpaque() {
    // The calculator is drawn on a clear background, so it sits on any panel
    // or menu colour without a box around it.
    const QImage image = QImage(QStringLiteral(":/img_qz_icon")).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!image.isNull());
    for (const QPoint corner : {QPoint(0, 0), QPoint(47, 0), QPoint(0, 47), QPoint(47, 47)})
        QCOMPARE(qAlpha(image.pixel(corner)), 0);
    QCOMPARE(qAlpha(image.pixel(24, 24)), 255);

    int opaque = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) opaque += qAlpha(image.pixel(x, y)) == 255;
    // The body covers most of the square but not all of it.
    QVERIFY2(opaque > 48 * 48 / 2 && opaque < 48 * 48, qPrintable(QString::number(opaque)));
}

void TestIcon::iconScalesForSmallerUses() {
    const QIcon icon(QStringLiteral(":/img_qz_icon"));
    QVERIFY(!icon.isNull());
    const QPixmap small = icon.pixmap(16, 16);
    QCOMPARE(small.size(), QSize(16, 16));
    QCOMPARE(qAlpha(small.toImage().pixel(8, 8)), 255);
}

QTEST_MAIN(TestIcon)
#include "test_icon.moc"
