import QtQuick 2.12

// A cover-flow carousel: the current cover full size in the middle and in front, the others
// smaller at the sides. Clicks go to functionCtrl.functionChanged(index).
Item {
    id: coverFlow
    property var model
    property int itemCount: 5
    property alias currentIndex: pathView.currentIndex

    function nextItem() { pathView.incrementCurrentIndex() }
    function preItem() { pathView.decrementCurrentIndex() }
    function toItem(index) {
        if (index <= itemCount && index !== pathView.currentIndex)
            pathView.currentIndex = index
    }

    PathView {
        id: pathView
        objectName: "pathView"
        anchors.fill: parent
        model: coverFlow.model
        delegate: coverDelegate
        pathItemCount: coverFlow.itemCount
        preferredHighlightBegin: 0.5
        preferredHighlightEnd: 0.5
        currentIndex: coverFlow.itemCount / 2
        interactive: true

        path: Path {
            startX: 0
            startY: coverFlow.height / 3
            PathAttribute { name: "z"; value: 0 }
            PathAttribute { name: "scale"; value: 0.6 }
            PathLine { x: coverFlow.width * 0.5; y: coverFlow.height / 3 }
            PathAttribute { name: "z"; value: 100 }
            PathAttribute { name: "angle"; value: 0 }
            PathAttribute { name: "scale"; value: 1.0 }
            PathLine { x: coverFlow.width; y: coverFlow.height / 3 }
            PathAttribute { name: "z"; value: 0 }
            PathAttribute { name: "scale"; value: 0.6 }
            PathPercent { value: 1.0 }
        }

        MouseArea {
            anchors.fill: parent
            hoverEnabled: true
            propagateComposedEvents: true
            onPressed: mouse.accepted = false
            onReleased: mouse.accepted = false
            onClicked: {
                console.log("carousel clicked")
                mouse.accepted = false
            }
        }
    }

    Component {
        id: coverDelegate
        Item {
            id: cover
            objectName: "cover_" + name
            width: 210
            height: 274
            z: PathView.z === undefined ? 0 : PathView.z
            scale: PathView.scale === undefined ? 1 : PathView.scale

            Image {
                id: coverImage
                objectName: "image_" + name
                width: 210
                height: 274
                source: url

                Rectangle {
                    id: loadRec
                    objectName: "loadRec_" + name
                    visible: false
                    width: 110 * cover.scale
                    height: 90 * cover.scale
                    anchors.horizontalCenter: parent.horizontalCenter
                    y: (parent.height - height) / 2 + 60
                    color: Qt.rgba(255, 255, 255, 0.1)

                    Image {
                        id: spinner
                        width: 58
                        height: 57
                        anchors.horizontalCenter: parent.horizontalCenter
                        source: "qrc:/img/loading2x.png"
                        RotationAnimation on rotation {
                            from: 0
                            to: 360
                            duration: 1500
                            loops: Animation.Infinite
                            running: loadRec.visible
                        }
                    }

                    Row {
                        anchors.top: spinner.bottom
                        anchors.horizontalCenter: parent.horizontalCenter
                        Text { text: qsTr("uploading ("); font.pixelSize: 12; color: "#333333" }
                        Text {
                            id: countText
                            objectName: "count_" + name
                            text: qsTr("0/0")
                            font.pixelSize: 12
                            color: "#DE6F6F"
                        }
                        Text { text: qsTr(")"); font.pixelSize: 12; color: "#333333" }
                    }
                }

                MouseArea {
                    anchors.fill: parent
                    onClicked: {
                        for (var i = 0; i < coverFlow.model.count; ++i) {
                            if (coverFlow.model.get(i).url == coverImage.source) {
                                functionCtrl.functionChanged(i)
                                break
                            }
                        }
                    }
                }

                Connections {
                    target: functionCtrl
                    function onTextChanged(url, text) {
                        if ((url === "file" && coverImage.source == "qrc:/img/icon_fileShadow2.png") ||
                                (url === "pic" && coverImage.source == "qrc:/img/icon_picShadow2.png")) {
                            countText.text = text
                            loadRec.visible = true
                        }
                    }
                    function onCloseLoading(type) {
                        if ((type === "file" && coverImage.source == "qrc:/img/icon_fileShadow2.png") ||
                                (type === "pic" && coverImage.source == "qrc:/img/icon_picShadow2.png")) {
                            countText.text = "0/0"
                            loadRec.visible = false
                        }
                    }
                    function onReset() {
                        pathView.currentIndex = 2
                    }
                }
            }
        }
    }
}
