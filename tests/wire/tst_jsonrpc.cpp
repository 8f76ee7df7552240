#include "JsonRpc.h"
#include "VexErrors.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

class tst_JsonRpc : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parseRequest_refused_data();
    void parseRequest_refused();
    void parseRequest_accepted_data();
    void parseRequest_accepted();
    void parseResponse_refused_data();
    void parseResponse_refused();
    void parseResponse_accepted_data();
    void parseResponse_accepted();
    void requestRoundTrip_data();
    void requestRoundTrip();
    void resultRoundTrip();
    void errorRoundTrip();
    void resultWithLineFeedStaysOneLine();
};

void tst_JsonRpc::parseRequest_refused_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("code");
    QTest::addColumn<QJsonValue>("id");

    const int parse = JsonRpc::ParseError;
    const int invalid = JsonRpc::InvalidRequest;
    const QJsonValue none;
    QTest::newRow("empty") << QByteArray("") << parse << none;
    QTest::newRow("garbage") << QByteArray("hello") << parse << none;
    QTest::newRow("blank") << QByteArray("  \r\n") << parse << none;
    QTest::newRow("two values") << QByteArray("1 2") << parse << none;
    QTest::newRow("truncated") << QByteArray(R"({"jsonrpc":"2.0","id":1,"meth)") << parse
                               << none;
    QTest::newRow("bad utf8") << QByteArray("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"\xff\"}")
                              << parse << none;
    QTest::newRow("number") << QByteArray("42") << invalid << none;
    QTest::newRow("string") << QByteArray(R"("x")") << invalid << none;
    QTest::newRow("array") << QByteArray(R"([{"jsonrpc":"2.0"}])") << invalid << none;
    QTest::newRow("no version") << QByteArray(R"({"id":1,"method":"a.b","params":[]})")
                                << invalid << QJsonValue(1);
    QTest::newRow("version 1.0")
        << QByteArray(R"({"jsonrpc":"1.0","id":"k","method":"a.b","params":[]})") << invalid
        << QJsonValue("k");
    QTest::newRow("version number")
        << QByteArray(R"({"jsonrpc":2.0,"id":1,"method":"a.b"})") << invalid << QJsonValue(1);
    QTest::newRow("no method") << QByteArray(R"({"jsonrpc":"2.0","id":3,"params":[]})")
                               << invalid << QJsonValue(3);
    QTest::newRow("method number")
        << QByteArray(R"({"jsonrpc":"2.0","id":3,"method":7})") << invalid << QJsonValue(3);
    QTest::newRow("params object")
        << QByteArray(R"({"jsonrpc":"2.0","id":4,"method":"a.b","params":{"x":1}})")
        << invalid << QJsonValue(4);
    QTest::newRow("params null")
        << QByteArray(R"({"jsonrpc":"2.0","id":4,"method":"a.b","params":null})") << invalid
        << QJsonValue(4);
    QTest::newRow("no id") << QByteArray(R"({"jsonrpc":"2.0","method":"a.b","params":[]})")
                           << invalid << none;
    QTest::newRow("id null")
        << QByteArray(R"({"jsonrpc":"2.0","id":null,"method":"a.b"})") << invalid << none;
    QTest::newRow("id object")
        << QByteArray(R"({"jsonrpc":"2.0","id":{},"method":"a.b"})") << invalid << none;
    QTest::newRow("id bool")
        << QByteArray(R"({"jsonrpc":"2.0","id":true,"method":"a.b"})") << invalid << none;
}

void tst_JsonRpc::parseRequest_refused()
{
    QFETCH(QByteArray, line);
    QFETCH(int, code);
    QFETCH(QJsonValue, id);

    const JsonRpc::RequestParse parse = JsonRpc::parseRequest(line);
    QVERIFY(!parse.ok);
    QCOMPARE(parse.errorCode, code);
    QVERIFY2(parse.errorMessage.startsWith(QStringLiteral("Requisição mal formada: ")),
             qPrintable(parse.errorMessage));
    QCOMPARE(parse.request.id, id);
}

void tst_JsonRpc::parseRequest_accepted_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QJsonValue>("id");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QJsonArray>("params");

    QTest::newRow("plain") << QByteArray(
        R"({"jsonrpc":"2.0","id":7,"method":"VEX00300.rdmAcomPOL.GetSoli","params":["a",1.5]})")
                           << QJsonValue(7) << QStringLiteral("VEX00300.rdmAcomPOL.GetSoli")
                           << QJsonArray{"a", 1.5};
    QTest::newRow("string id, no params")
        << QByteArray(R"({"method":"x","id":"abc","jsonrpc":"2.0"})") << QJsonValue("abc")
        << QStringLiteral("x") << QJsonArray();
    QTest::newRow("line feed and spaces")
        << QByteArray(" {\"jsonrpc\" : \"2.0\", \"id\":1, \"method\":\"m\", \"params\":[]}\r\n")
        << QJsonValue(1) << QStringLiteral("m") << QJsonArray();
    QTest::newRow("unicode") << QByteArray(
        "{\"jsonrpc\":\"2.0\",\"id\":2,\"method\":\"m\","
        "\"params\":[\"Solicita\xc3\xa7\xc3\xa3o\"]}")
                             << QJsonValue(2) << QStringLiteral("m")
                             << QJsonArray{QStringLiteral("Solicitação")};
    QTest::newRow("null param") << QByteArray(
        R"({"jsonrpc":"2.0","id":2,"method":"m","params":[null,"",0]})")
                                << QJsonValue(2) << QStringLiteral("m")
                                << QJsonArray{QJsonValue(), "", 0};
}

void tst_JsonRpc::parseRequest_accepted()
{
    QFETCH(QByteArray, line);
    QFETCH(QJsonValue, id);
    QFETCH(QString, method);
    QFETCH(QJsonArray, params);

    const JsonRpc::RequestParse parse = JsonRpc::parseRequest(line);
    QVERIFY2(parse.ok, qPrintable(parse.errorMessage));
    QCOMPARE(parse.request.id, id);
    QCOMPARE(parse.request.method, method);
    QCOMPARE(parse.request.params, params);
}

void tst_JsonRpc::parseResponse_refused_data()
{
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("garbage") << QByteArray("OK\n");
    QTest::newRow("array") << QByteArray("[]");
    QTest::newRow("no version") << QByteArray(R"({"id":1,"result":{}})");
    QTest::newRow("neither") << QByteArray(R"({"jsonrpc":"2.0","id":1})");
    QTest::newRow("both") << QByteArray(
        R"({"jsonrpc":"2.0","id":1,"result":{},"error":{"code":1,"message":"x"}})");
    QTest::newRow("no id") << QByteArray(R"({"jsonrpc":"2.0","result":{}})");
    QTest::newRow("result with null id")
        << QByteArray(R"({"jsonrpc":"2.0","id":null,"result":1})");
    QTest::newRow("string id") << QByteArray(R"({"jsonrpc":"2.0","id":"1","result":{}})");
    QTest::newRow("fraction id") << QByteArray(R"({"jsonrpc":"2.0","id":1.5,"result":{}})");
    QTest::newRow("error not object") << QByteArray(R"({"jsonrpc":"2.0","id":1,"error":"x"})");
    QTest::newRow("error without code")
        << QByteArray(R"({"jsonrpc":"2.0","id":1,"error":{"message":"x"}})");
    QTest::newRow("error code text")
        << QByteArray(R"({"jsonrpc":"2.0","id":1,"error":{"code":"-32000","message":"x"}})");
    QTest::newRow("error code fraction")
        << QByteArray(R"({"jsonrpc":"2.0","id":1,"error":{"code":1.25,"message":"x"}})");
    QTest::newRow("error code too big")
        << QByteArray(R"({"jsonrpc":"2.0","id":1,"error":{"code":4294967296,"message":"x"}})");
    QTest::newRow("error without message")
        << QByteArray(R"({"jsonrpc":"2.0","id":1,"error":{"code":-32000}})");
}

void tst_JsonRpc::parseResponse_refused()
{
    QFETCH(QByteArray, line);
    try {
        JsonRpc::parseResponse(line);
        QFAIL("accepted a line that is not a response");
    } catch (const ENetError &error) {
        QVERIFY2(error.message().startsWith(QStringLiteral("Resposta inválida")),
                 qPrintable(error.message()));
    }
}

void tst_JsonRpc::parseResponse_accepted_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("id");
    QTest::addColumn<QJsonValue>("result");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");

    QTest::newRow("result") << QByteArray(R"({"jsonrpc":"2.0","id":12,"result":{"rows":[]}})")
                            << true << qint64(12)
                            << QJsonValue(QJsonObject{{"rows", QJsonArray()}})
                            << 0 << QString();
    QTest::newRow("null result") << QByteArray(R"({"jsonrpc":"2.0","id":3,"result":null})")
                                 << true << qint64(3) << QJsonValue() << 0 << QString();
    QTest::newRow("big id") << QByteArray(R"({"jsonrpc":"2.0","id":5000000000,"result":1})")
                            << true << qint64(5000000000) << QJsonValue(1) << 0 << QString();
    QTest::newRow("error") << QByteArray(
        "{\"jsonrpc\":\"2.0\",\"id\":4,\"error\":{\"code\":-32000,\"message\":\"Filial n\xc3\xa3o "
        "cadastrada.\",\"data\":[1]}}\n")
                           << false << qint64(4) << QJsonValue() << -32000
                           << QStringLiteral("Filial não cadastrada.");
    QTest::newRow("error null id") << QByteArray(
        R"({"jsonrpc":"2.0","id":null,"error":{"code":-32700,"message":"x"}})")
                                   << false << qint64(0) << QJsonValue() << -32700
                                   << QStringLiteral("x");
}

void tst_JsonRpc::parseResponse_accepted()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, ok);
    QFETCH(qint64, id);
    QFETCH(QJsonValue, result);
    QFETCH(int, code);
    QFETCH(QString, message);

    qint64 gotId = -1;
    const TServerReply reply = JsonRpc::parseResponse(line, &gotId);
    QCOMPARE(reply.ok, ok);
    QCOMPARE(gotId, id);
    QCOMPARE(reply.result, result);
    QCOMPARE(reply.errorCode, code);
    QCOMPARE(reply.errorMessage, message);
}

void tst_JsonRpc::requestRoundTrip_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QJsonArray>("params");

    QTest::newRow("eighteen args") << QStringLiteral("VEX00300.rdmAcomPOL.GetFiliSoliGrid")
                                   << QJsonArray{"", "T", "0001", 46000.0, 46030.5, "", 0.0,
                                                 0.0, "T", "", "ZZZZZZZZZZZZZZZZZZZZ", "T",
                                                 "", "T", "A", "S", "N", "T"};
    QTest::newRow("unicode") << QStringLiteral("Ação.método")
                             << QJsonArray{QStringLiteral("ç ã é ü € 😀"),
                                           QStringLiteral("line\nfeed\t\"quoted\"\\")};
    QTest::newRow("empty") << QStringLiteral("x") << QJsonArray();
}

void tst_JsonRpc::requestRoundTrip()
{
    QFETCH(QString, method);
    QFETCH(QJsonArray, params);

    const QByteArray line = JsonRpc::encodeRequest(77, method, params);
    QVERIFY(line.endsWith('\n'));
    QCOMPARE(line.count('\n'), 1);
    const JsonRpc::RequestParse parse = JsonRpc::parseRequest(line);
    QVERIFY2(parse.ok, qPrintable(parse.errorMessage));
    QCOMPARE(parse.request.id, QJsonValue(77));
    QCOMPARE(parse.request.method, method);
    QCOMPARE(parse.request.params, params);
}

void tst_JsonRpc::resultRoundTrip()
{
    const QJsonObject packet{{"fields", QJsonArray{QJsonObject{{"name", "NMFILIAL"}}}},
                             {"rows", QJsonArray{QJsonArray{QStringLiteral("São Paulo")}}}};
    const QByteArray text = QJsonDocument(packet).toJson(QJsonDocument::Compact);
    for (const QJsonValue &id : {QJsonValue(9), QJsonValue("nine")}) {
        const QByteArray line = JsonRpc::encodeResult(id, text);
        QVERIFY(line.endsWith('\n'));
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        QCOMPARE(object.value("id"), id);
        QCOMPARE(object.value("result"), QJsonValue(packet));
    }
    qint64 id = 0;
    const TServerReply reply = JsonRpc::parseResponse(JsonRpc::encodeResult(9, text), &id);
    QVERIFY(reply.ok);
    QCOMPARE(id, qint64(9));
    QCOMPARE(reply.result, QJsonValue(packet));
}

void tst_JsonRpc::errorRoundTrip()
{
    const QString message = QStringLiteral("Data \"inválida\": 31/02\n(verifique)");
    qint64 id = 0;
    const TServerReply reply =
        JsonRpc::parseResponse(JsonRpc::encodeError(15, JsonRpc::ServerError, message), &id);
    QVERIFY(!reply.ok);
    QCOMPARE(id, qint64(15));
    QCOMPARE(reply.errorCode, int(JsonRpc::ServerError));
    QCOMPARE(reply.errorMessage, message);

    const QByteArray nullId = JsonRpc::encodeError(QJsonValue(), JsonRpc::ParseError, "x");
    QCOMPARE(nullId.count('\n'), 1);
    QCOMPARE(JsonRpc::parseResponse(nullId, &id).errorCode, int(JsonRpc::ParseError));
    QCOMPARE(id, qint64(0));
}

void tst_JsonRpc::resultWithLineFeedStaysOneLine()
{
    const QByteArray pretty = "{\n  \"rows\": [\n    [\"a\\nb\"]\n  ]\n}\n";
    const QByteArray line = JsonRpc::encodeResult(1, pretty);
    QCOMPARE(line.count('\n'), 1);
    const TServerReply reply = JsonRpc::parseResponse(line);
    QCOMPARE(reply.result.toObject().value("rows").toArray().at(0).toArray().at(0).toString(),
             QStringLiteral("a\nb"));
}

QTEST_GUILESS_MAIN(tst_JsonRpc)
#include "tst_jsonrpc.moc"
