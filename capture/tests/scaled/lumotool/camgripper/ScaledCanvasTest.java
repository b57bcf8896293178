package lumotool.camgripper;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import lumotool.camgripper.sim.SimPlatform;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.condition.EnabledIfSystemProperty;

/** At 200 % the renderer fills the canvas's window, which has twice the canvas's size in pixels. */
@EnabledIfSystemProperty(named = "sun.java2d.uiScale", matches = "2")
class ScaledCanvasTest extends CameraTestBase {
    @Override
    protected void cameras() {
        Fixture.capability(Fixture.camera("cam"), SimPlatform.RGB32, 64, 48);
    }

    @Test
    void theVideoFillsTheWholeWindowOfAScaledCanvas() {
        CaptureDevice d = fixture.showFirst();
        assertTrue(d.start(null, false));
        assertArrayEquals(new int[] {0, 0, 64, 48, 0, 0, 320, 240}, SimPlatform.lastVideoPosition());
        d.setBounds(0, 0, 100, 50);
        assertArrayEquals(new int[] {0, 0, 64, 48, 0, 0, 200, 100}, SimPlatform.lastVideoPosition());
    }
}
