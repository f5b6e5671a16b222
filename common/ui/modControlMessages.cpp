// SPDX-License-Identifier: GPL-3.0-or-later
// The stations' texts for the voice control's status codes and object errors.
#include "modControlMessages.h"

#include "TavrinoStandardApi.h"
#include "modHvnRegistry.h"

using namespace Tavrino;

QString StatusText(qint32 statusCode, Station station) {
    switch (statusCode) {
    case STATUS_TIMEOUT:
        return Tr(QStringLiteral("Failed to connect."), QStringLiteral("接続に失敗しました。"));
    case STATUS_CALLING:
        return Tr(QStringLiteral("Connecting..."), QStringLiteral("接続中..."));
    case STATUS_CONNECTION_LOST:
        return Tr(QStringLiteral("Connection is lost."), QStringLiteral("接続が消失しました。"));
    case STATUS_CONNECTED:
        return Tr(QStringLiteral("Successfully connected."),
                  QStringLiteral("接続に成功しました。"));
    case STATUS_REMOTE_DISCONNECTED:
        // Each station names the other one.
        if (station == Station::Host)
            return Tr(QStringLiteral("Connection is disconnected by the remote station."),
                      QStringLiteral("接続がリモート・ステーションから切断されました。"));
        return Tr(QStringLiteral("Connection is disconnected by the host station."),
                  QStringLiteral("接続がホスト・ステーションから切断されました。"));
    case STATUS_REMOTE_BUSY:
        return Tr(QStringLiteral("The host station is busy."),
                  QStringLiteral("ホスト・ステーションがビジーです。"));
    case STATUS_REMOTE_NOT_AVAILABLE:
        return Tr(QStringLiteral("The host station is unavailable."),
                  QStringLiteral("ホスト・ステーションが利用不可能です。"));
    case STATUS_CALL_REJECTED:
        return Tr(QStringLiteral("Connection request is rejected by the host station."),
                  QStringLiteral("接続要求がホスト・ステーションによって拒否されました。"));
    case STATUS_ENCRYPTED_DATA:
        return Tr(QStringLiteral("Receiving Encrypted Data, please enable the TavrinoVoIP "
                                 "Cryptography feature."),
                  QStringLiteral("暗号化されたデータを受信しました。TavrinoVoIP暗号を"
                                 "有効にしてください。"));
    default:
        return {};
    }
}

QString StatusBoxText(qint32 statusCode, Station station) {
    // The host shows its statuses on the status line only.
    if (station == Station::Host)
        return {};
    const QString br = QStringLiteral("\r\n");
    switch (statusCode) {
    case STATUS_TIMEOUT:
        return Tr(QStringLiteral("A network error is detected.") + br + br +
                      QStringLiteral("Possibilities include:") + br +
                      QStringLiteral("The User Name, the Password, IP address or/and the Port "
                                     "number is incorrect.") +
                      br + QStringLiteral("The host station does not operate."),
                  QStringLiteral("ネットワーク・エラーが検出されました。") + br + br +
                      QStringLiteral("考えられる理由:") + br +
                      QStringLiteral("ユーザー名、パスワード、IPアドレス、ポート番号が間違って"
                                     "いる。") +
                      br + QStringLiteral("ホスト・ステーションが稼働していない。"));
    case STATUS_REMOTE_BUSY:
        return Tr(QStringLiteral("The host station Busy") + br +
                      QStringLiteral("The host station is currently being used by another "
                                     "user.") +
                      br + QStringLiteral("Connect to the host station later."),
                  QStringLiteral("ホスト・ステーションがビジー") + br +
                      QStringLiteral("ホスト・ステーションは現在ほかのユーザーによって使用され"
                                     "ています。") +
                      br + QStringLiteral("時間をおいて再度接続してください。"));
    case STATUS_REMOTE_NOT_AVAILABLE:
        return Tr(QStringLiteral("The host station is unavailable") + br +
                      QStringLiteral("Because the administrator has stopped the host station, "
                                     "it is not possible to use it.") +
                      br + QStringLiteral("Please contact the administrator for details."),
                  QStringLiteral("ホスト・ステーションが利用不可能") + br +
                      QStringLiteral("ホスト・ステーションが管理者によって停止されているため、"
                                     "使用できません。") +
                      br + QStringLiteral("詳細は管理者に問い合わせてください。"));
    case STATUS_CALL_REJECTED:
        return Tr(QStringLiteral("Your ID has been temporarily disabled") + br +
                      QStringLiteral("The administrator of the requested host station has "
                                     "temporarily disabled your connection to the host "
                                     "station.") +
                      br + QStringLiteral("Contact the administrator for details."),
                  QStringLiteral("あなたのIDが一時的に無効にされている") + br +
                      QStringLiteral("ホスト・ステーションの管理者があなたの接続を一時的に無効"
                                     "にしています。") +
                      br + QStringLiteral("詳細は管理者に問い合わせてください。"));
    default:
        return {};
    }
}

QString SecureOutcomeBoxText(qint32 statusCode, qint32 secureOutcome) {
    const QString br = QStringLiteral("\r\n");
    if (statusCode == STATUS_CALL_REJECTED && secureOutcome == SECURE_OUTCOME_PASSWORD_REFUSED)
        return Tr(QStringLiteral("The host did not accept the password") + br +
                      QStringLiteral("The host station did not accept this user name and "
                                     "password.") +
                      br +
                      QStringLiteral("Check the user name and the password in this "
                                     "connection's settings (File > Setup)."),
                  QStringLiteral("ホストがパスワードを受け付けませんでした") + br +
                      QStringLiteral("ホスト・ステーションはこのユーザー名とパスワードを受け付け"
                                     "ませんでした。") +
                      br +
                      QStringLiteral("この接続の設定（ファイル > 設定）でユーザー名とパスワードを"
                                     "確認してください。"));
    if (statusCode == STATUS_CALL_REJECTED && secureOutcome == SECURE_OUTCOME_REFUSED)
        return Tr(QStringLiteral("The host refused the call") + br +
                      QStringLiteral("The host station refused this call. It may not be "
                                     "answering from this address for a while, or its "
                                     "administrator has disabled your user name.") +
                      br +
                      QStringLiteral("Try again later, or contact the administrator."),
                  QStringLiteral("ホストが通話を拒否しました") + br +
                      QStringLiteral("ホスト・ステーションはこの通話を拒否しました。しばらくの"
                                     "間このアドレスからの通話に応答しないか、管理者があなたの"
                                     "ユーザー名を無効にしている可能性があります。") +
                      br +
                      QStringLiteral("時間をおいて再度接続するか、管理者に問い合わせて"
                                     "ください。"));
    if (statusCode == STATUS_TIMEOUT && secureOutcome == SECURE_OUTCOME_NO_ANSWER)
        return Tr(QStringLiteral("The host did not answer the encrypted call.") + br + br +
                      QStringLiteral("Possibilities include:") + br +
                      QStringLiteral("The User Name, IP address or/and the Port number is "
                                     "incorrect.") +
                      br + QStringLiteral("The host station does not operate.") + br +
                      QStringLiteral("The host station is an older TESSORA-H, which cannot take "
                                     "encrypted calls. If you trust every network between the "
                                     "two stations, allow unencrypted calls in this "
                                     "connection's settings (File > Setup)."),
                  QStringLiteral("ホストが暗号化された通話に応答しませんでした。") + br + br +
                      QStringLiteral("考えられる理由:") + br +
                      QStringLiteral("ユーザー名、IPアドレス、ポート番号が間違っている。") + br +
                      QStringLiteral("ホスト・ステーションが稼働していない。") + br +
                      QStringLiteral("ホスト・ステーションが暗号化された通話を受けられない古い"
                                     "TESSORA-Hである。二つのステーションの間のネットワークを"
                                     "すべて信頼できる場合は、この接続の設定（ファイル > 設定）で"
                                     "暗号化されていない通話を許可してください。"));
    return {};
}

QString ObjectErrorText(qint32 error, Station station) {
    switch (error) {
    case ERR_NOT_INITIALIZED:
        // Each station names the button that starts its side.
        if (station == Station::Host)
            return Tr(
                QStringLiteral("You are not Online, please click the 'Online' button first."),
                QStringLiteral("接続されていません。「オンライン」ボタンをクリックしてまず接続"
                               "してください。"));
        return Tr(QStringLiteral("You are not connected, please click the 'Connect' button "
                                 "first."),
                  QStringLiteral("接続されていません。「接続」ボタンをクリックしてまず接続して"
                                 "ください。"));
    case ERR_ALREADY_CONNECTED:
        return Tr(QStringLiteral("You are already connected, please disconnect it first."),
                  QStringLiteral("既に接続されています。まず切断してください。"));
    case ERR_CALL_PENDING:
        return Tr(QStringLiteral("Already connecting, please disconnect it first."),
                  QStringLiteral("接続中です。まず切断してください。"));
    case ERR_MIC_DEVICE:
        return Tr(QStringLiteral("Cannot access Input/Mic device or device is already in use."),
                  QStringLiteral("入力/マイク・デバイスにアクセスできません、あるいは使用中"
                                 "です。"));
    case ERR_SOUND_DEVICE:
        return Tr(QStringLiteral("Cannot access Output/Speaker device or device is already in "
                                 "use."),
                  QStringLiteral("出力/スピーカー・デバイスにアクセスできません、あるいは使用"
                                 "中です。"));
    case ERR_NO_SUCH_CALL:
        return Tr(QStringLiteral("Invalid IP address and Port number to Accept this connection "
                                 "request."),
                  QStringLiteral("この接続要求を受け入れるのに不正なIPアドレスとポート番号"
                                 "です。"));
    case ERR_SOCKET:
        return Tr(QStringLiteral("Local communication port could not be opened or Port is "
                                 "already in use."),
                  QStringLiteral("ローカル通信ポートが開けません、あるいはポートは既に使用中"
                                 "です。"));
    case ERR_NO_CRYPTO_KEY:
        return Tr(QStringLiteral("Unable to enable the Cryptography, because Cryptography Key "
                                 "is not provided, while initializing the TavrinoVoIP Object."),
                  QStringLiteral("TavrinoVoIPオブジェクトを初期化中、暗号化キーが提供されな"
                                 "かったため、暗号化を有効にできませんでした。"));
    case ERR_MIC_MIXER:
        return Tr(QStringLiteral("Mic Volume is not provided by your sound device."),
                  QStringLiteral("サウンド・デバイスからマイク音量が提供されませんでした。"));
    case ERR_SPK_MIXER:
        return Tr(QStringLiteral("Speaker Volume is not provided by your sound device."),
                  QStringLiteral("サウンド・デバイスからスピーカー音量が提供されませんでした。"));
    case ERR_SECURE_UNAVAILABLE:
        return Tr(QStringLiteral("The encrypted call cannot be set up: the user name must be 1 "
                                 "to 255 bytes without a zero byte, and the encryption library "
                                 "must be available."),
                  QStringLiteral("暗号化された通話を設定できません。ユーザー名は1～255バイトで"
                                 "ゼロ・バイトを含まないこと、また暗号ライブラリが利用できる"
                                 "ことが必要です。"));
    default:
        return {};
    }
}
