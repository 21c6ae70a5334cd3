// Upload batches of one kind: counting per-file results, the files left to send again, and two
// kinds running at once without touching each other's lists.
#include "client/ui/root/QnUploadBatch.h"

#include <QtTest>

class TstQnUploadBatch : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void results_data();
    void results();
    void kindsKeepTheirOwnLists();
};

void TstQnUploadBatch::results_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QList<bool>>("sent");
    QTest::addColumn<bool>("allSent");
    QTest::addColumn<QStringList>("failed");
    const QStringList abc{"a.png", "b.png", "c.png"};
    QTest::newRow("all sent") << abc << QList<bool>{true, true, true} << true << QStringList{};
    QTest::newRow("one failed") << abc << QList<bool>{true, false, true} << false << QStringList{"b.png"};
    QTest::newRow("none sent") << abc << QList<bool>{false, false, false} << false << abc;
    QTest::newRow("one file") << QStringList{"a.png"} << QList<bool>{true} << true << QStringList{};
    // the same file chosen twice: a success reports it once and removes every occurrence
    QTest::newRow("duplicate") << QStringList{"a.png", "a.png"} << QList<bool>{true, false} << true
                               << QStringList{};
}

void TstQnUploadBatch::results()
{
    QFETCH(QStringList, files);
    QFETCH(QList<bool>, sent);
    QFETCH(bool, allSent);
    QFETCH(QStringList, failed);
    QnUploadBatch batch;
    batch.start(files);
    QVERIFY(batch.isRunning());
    QnUploadBatch::Step step;
    for (int i = 0; i < sent.size(); ++i) {
        step = batch.result(sent.at(i), {files.at(i)});
        QCOMPARE(step.done, i + 1);
        QCOMPARE(step.total, files.size());
        QCOMPARE(step.finished, i + 1 == files.size());
    }
    QCOMPARE(step.allSent, allSent);
    QCOMPARE(step.failed, failed);
    QVERIFY(!batch.isRunning());
    // a late answer after the batch ended reports nothing
    const QnUploadBatch::Step late = batch.result(true, {files.first()});
    QVERIFY(!late.finished);
    QCOMPARE(late.total, 0);
}

void TstQnUploadBatch::kindsKeepTheirOwnLists()
{
    // A document batch started while pictures are still going: a failed document stays failed,
    // and the pictures' list is not replaced by the documents'.
    QnUploadBatch pictures, documents;
    pictures.start({"p1.png", "p2.png"});
    QVERIFY(!pictures.result(true, {"p1.png"}).finished);
    documents.start({"d1.pdf"});
    const QnUploadBatch::Step doc = documents.result(false, {"d1.pdf"});
    QVERIFY(doc.finished);
    QVERIFY(!doc.allSent);
    QCOMPARE(doc.failed, QStringList{"d1.pdf"});
    const QnUploadBatch::Step pic = pictures.result(true, {"p2.png"});
    QVERIFY(pic.finished);
    QVERIFY(pic.allSent);
}

QTEST_GUILESS_MAIN(TstQnUploadBatch)
#include "tst_qnuploadbatch.moc"
